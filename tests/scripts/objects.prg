* An object without a window has none. O_SETPROP sets a property the object
* has, makes one only when told to, and the host refuses what is no object.
oCustom = CREATEOBJECT("custom")
? O_HWND(oCustom)
oForm = CREATEOBJECT("form")
? O_SETPROP(oForm, "Caption", "Renamed")
? oForm.Caption
? O_SETPROP(oForm, "Tag", 5)
? O_SETPROP(oForm, "Tag", 5, .T.)
? oForm.Tag
? O_HWND(1)
* A timer command of 256 characters is refused, and the timer keeps the
* command and interval it had.
? ONTIME(5000, "N = 1")
? ONTIME(100, "N = 2 " + SPACE(250))
? ONTIME(2)
? ONTIME(1)
? ONTIME(0)
