* Names and targets U_VER cannot take are refused before anything is made: a
* variable by reference is no object, and a name longer than a Windows path,
* or holding CHR(0) (the text before it would name another file), is no name.
* The file here is one with a version resource.
cFile = U_WINSDIR() + "\kernel32.dll"
o = "x"
? U_VER(cFile, @o)
? U_VER(REPLICATE("x", 260))
? U_VER(REPLICATE("x", 32767))
? U_VER(REPLICATE("x", 65535))
? U_VER(cFile + CHR(0) + "more")
? TYPE("_VER")
* The longest name it takes, of no file: no resource, and the array is made.
? U_VER(REPLICATE("x", 259))
? TYPE("_VER")
