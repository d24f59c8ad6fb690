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

* A one-shot timer runs its command once, and only from the message loop;
* its interval and command stay when it has fired.
N = 0
? ONTIME(150, "N = N + 1")
? ONTIME()
? ONTIME(1)
? ONTIME(2)
? N
nUntil = SECONDS() + 10
DO WHILE N < 1 .AND. SECONDS() < nUntil
DOEVENTS
ENDDO
nUntil = SECONDS() + 0.4
DO WHILE SECONDS() < nUntil
DOEVENTS
ENDDO
? N
? ONTIME()
? ONTIME(1)

* A repeating timer runs until ONTIME(0) or an empty command stops it.
N = 0
= ONTIME(-40, "N = N + 1")
nUntil = SECONDS() + 10
DO WHILE N < 3 .AND. SECONDS() < nUntil
DOEVENTS
ENDDO
? N >= 3
? ONTIME(0)
nStopped = N
nUntil = SECONDS() + 0.2
DO WHILE SECONDS() < nUntil
DOEVENTS
ENDDO
? N == nStopped
= ONTIME(-40, "N = N + 1")
? ONTIME(-40, "")
? ONTIME()
