* A script runs as a FoxPro program: its procedures stand at the end and are
* known from the start, a statement after them never runs, DO WHILE loops,
* DOEVENTS lets a timer fire, SendMessage is there once declared.
SET LIBRARY TO Kavro.FLL ADDITIVE
? Twice(21)
n = 0
DO WHILE n < 5
    n = n + 1
ENDDO
? n
* A failed line ends the loop, after one error.
DO WHILE .T.
? nosuch
ENDDO
cFired = 'no'
= ONTIME(20, "cFired = 'yes'")
nUntil = SECONDS() + 5
DO WHILE SECONDS() < nUntil .AND. cFired == 'no'
DOEVENTS
ENDDO
? cFired
oForm = CREATEOBJECT('form')
? SENDMESSAGE(O_HWND(oForm), 14, 0, 0)
DECLARE INTEGER SendMessage IN user32 AS Send INTEGER hWnd, INTEGER nMsg, INTEGER wParam, INTEGER lParam
? Send(O_HWND(oForm), 14, 0, 0)
SET LIBRARY TO Other.FLL
PROCEDURE Twice
LPARAMETERS n
RETURN n * 2
ENDPROC
? 'after the procedure'
FUNCTION Last
RETURN 1
