* Shortcut files through the system's shell-link object. Only the target
* given: every other field comes back empty, 0 or a normal window.
= STRTOFILE("MZ", "tool.exe")
oW = CREATEOBJECT("Custom")
= ADDPROPERTY(oW, "Shortcut", FULLPATH("plain.lnk"))
= ADDPROPERTY(oW, "ObjPath", FULLPATH("tool.exe"))
? SC_WRITE(oW)
oR = CREATEOBJECT("Custom")
= ADDPROPERTY(oR, "Shortcut", FULLPATH("plain.lnk"))
? SC_READ(oR)
? oR.ObjPath == FULLPATH("tool.exe")
? oR.Arguments + oR.Description + oR.WorkingDir + oR.IconPath
? oR.IconIndex
? oR.HotKey
? oR.ShowCmd

* SC_READ wants a text Shortcut naming a shortcut file. A number or an
* object raises 1098 (the object's reference is given back); a missing
* property is the host's own error.
oBad = CREATEOBJECT("Custom")
= ADDPROPERTY(oBad, "Shortcut", 5)
? SC_READ(oBad)
oBad.Shortcut = CREATEOBJECT("Custom")
? SC_READ(oBad)
? SC_READ(CREATEOBJECT("Custom"))
nNotAnObject = 1
? SC_READ(@nNotAnObject)
? SC_WRITE(@nNotAnObject)

* A file that is no shortcut, one that does not exist, and no name: .F.,
* and no property touched or added.
= STRTOFILE("not a shell link at all", "text.lnk")
oKept = CREATEOBJECT("Custom")
= ADDPROPERTY(oKept, "Shortcut", FULLPATH("text.lnk"))
= ADDPROPERTY(oKept, "Arguments", "kept")
= ADDPROPERTY(oKept, "HotKey", 7)
? SC_READ(oKept)
oKept.Shortcut = FULLPATH("missing.lnk")
? SC_READ(oKept)
oKept.Shortcut = ""
? SC_READ(oKept)
? oKept.Arguments
? oKept.HotKey
? TYPE("oKept.Description") + TYPE("oKept.ObjPath") + TYPE("oKept.WorkingDir") + TYPE("oKept.IconPath") + TYPE("oKept.IconIndex") + TYPE("oKept.ShowCmd")

* A property of the wrong kind, or a Shortcut missing, empty or no text,
* raises 1560 and writes nothing. Integers come from the shortcut read above.
oWrong = CREATEOBJECT("Custom")
= ADDPROPERTY(oWrong, "Shortcut", FULLPATH("wrong.lnk"))
= ADDPROPERTY(oWrong, "ObjPath", FULLPATH("tool.exe"))
= ADDPROPERTY(oWrong, "HotKey", "A")
? SC_WRITE(oWrong)
oWrong.HotKey = 65
? SC_WRITE(oWrong)
oWrong.HotKey = oR.HotKey
= ADDPROPERTY(oWrong, "IconIndex", 1)
? SC_WRITE(oWrong)
oWrong.IconIndex = oR.IconIndex
= ADDPROPERTY(oWrong, "ShowCmd", 1)
? SC_WRITE(oWrong)
oWrong.ShowCmd = oR.ShowCmd
= ADDPROPERTY(oWrong, "Arguments", oR.IconIndex)
? SC_WRITE(oWrong)
oWrong.Arguments = ""
oWrong.ObjPath = .T.
? SC_WRITE(oWrong)
oWrong.ObjPath = FULLPATH("tool.exe")
= ADDPROPERTY(oWrong, "Description", CREATEOBJECT("Custom"))
? SC_WRITE(oWrong)
oWrong.Description = ""
= ADDPROPERTY(oWrong, "IconPath", 0)
? SC_WRITE(oWrong)
oWrong.IconPath = ""
= ADDPROPERTY(oWrong, "WorkingDir", {^2024-01-01})
? SC_WRITE(oWrong)
oWrong.WorkingDir = ""
oWrong.Shortcut = ""
? SC_WRITE(oWrong)
oWrong.Shortcut = 1
? SC_WRITE(oWrong)
oWrong.Shortcut = oR.IconIndex
? SC_WRITE(oWrong)
oNoName = CREATEOBJECT("Custom")
= ADDPROPERTY(oNoName, "ObjPath", FULLPATH("tool.exe"))
? SC_WRITE(oNoName)
? FILE("wrong.lnk") .OR. FILE("1") .OR. FILE("0")

* The field holds 260 characters: a longer path, or one holding a CHR(0),
* is refused whole, never cut to name another file.
oGood = CREATEOBJECT("Custom")
= ADDPROPERTY(oGood, "Shortcut", FULLPATH("cut.lnk"))
= ADDPROPERTY(oGood, "ObjPath", FULLPATH("tool.exe"))
= ADDPROPERTY(oGood, "Description", "the real one")
? SC_WRITE(oGood)
cStem = FULLPATH("x")
cOver = LEFT(cStem, LEN(cStem) - 1) + REPLICATE("a", 261 - LEN(cStem) + 1 - 4) + ".lnk"
? LEN(cOver)
oCut = CREATEOBJECT("Custom")
= ADDPROPERTY(oCut, "Shortcut", cOver)
= ADDPROPERTY(oCut, "ObjPath", FULLPATH("other.exe"))
= ADDPROPERTY(oCut, "Description", "never written")
? SC_WRITE(oCut)
? SC_READ(oCut)
oCut.Shortcut = cOver + REPLICATE("b", 5000)
? SC_WRITE(oCut)
? SC_READ(oCut)
oCut.Shortcut = FULLPATH("cut.lnk") + CHR(0)
? SC_WRITE(oCut)
? SC_READ(oCut)
oCut.Shortcut = FULLPATH("cut.lnk") + CHR(0) + "x"
? SC_WRITE(oCut)
? SC_READ(oCut)
? oCut.Description
? TYPE("oCut.Arguments")
? FILE(cOver) .OR. FILE(LEFT(cOver, 259))
oGood.Description = ""
? SC_READ(oGood)
? oGood.Description
