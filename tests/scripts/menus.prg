* Popup menus: a missing item or menu gives a null of the function's type,
* or, once WP_GENERR(.T.) asks for errors, error 612 (the switch outlives a
* load of the library: the script sets it first).
= WP_GENERR(.F.)
m = WP_CREATE()
? WP_ADD(m, "Only")
? WP_CHECK(m, -5)
? WP_ENABLE(m, -5)
? WP_RCHECK(m, 9, 1, 0)
? WP_ID(m, 9)
? WP_TEXT(m, 9)
* not a menu
? WP_TEXT(12345, 1)
? WP_POP(12345)
? WP_GENERR(.T.)
? WP_TEXT(m, 9)
? WP_CHECK(m, -2, .T.)
? WP_POP(12345)
? WP_GENERR()
? WP_GENERR()
? WP_GENERR(.F.)
? WP_POP(12345)
? WP_DESTROY(m)

* A menu made, counted and destroyed; identifiers count from 1. A destroyed
* menu has no count, and takes no item.
m = WP_CREATE()
? WP_ADD(m, "One")
? WP_ADD(m, "Two")
? WP_ISPOP(m)
? WP_COUNT(m)
? WP_ID(m, -1)
? WP_ID(m, -2)
? WP_DESTROY(m)
? WP_ISPOP(m)
? WP_COUNT(m)
? WP_DESTROY(m)
? WP_ADD(m, "x")

* Removing an item keeps its submenu; deleting it destroys the submenu.
m = WP_CREATE()
= WP_ADD(m, "A")
kept = WP_CREATE()
= WP_ADD(kept, "k")
gone = WP_CREATE()
= WP_ADD(gone, "g")
? WP_ADD(m, "@Kept", kept)
? WP_ADD(m, "@Gone", gone)
? WP_DEL(m, -2)
? WP_ISPOP(kept)
? WP_COUNT(kept)
? WP_DEL(m, -2, .T.)
? WP_ISPOP(gone)
? WP_DEL(m, 1, .T.)
? WP_COUNT(m)
? WP_DEL(m, 1)
? WP_DEL(m, 0)
? WP_DESTROY(kept)
? WP_DESTROY(m)

* Items by position (0 and below, from -1) and by identifier; a popup item's
* identifier is its submenu. An item inside a submenu: its state is reached,
* its place in this menu is not.
m = WP_CREATE()
= WP_ADD(m, "First")
= WP_ADD(m, "Second")
= WP_ADD(m, "Third")
sub = WP_CREATE()
? WP_ADD(sub, "Deep", 50)
? WP_ADD(m, "@Sub", sub)
? WP_TEXT(m, -1)
? WP_TEXT(m, 3)
? WP_ID(m, -2)
? WP_ID(m, -4) == sub
? WP_TEXT(m, -4)
? WP_CHECK(m, 50, .T.)
? WP_CHECK(sub, -1)
? WP_ENABLE(m, 50)
? WP_ID(m, 50)
? WP_TEXT(m, 50)
* Destroying a menu destroys its submenus.
? WP_DESTROY(m)
? WP_ISPOP(sub)

* Checking and enabling give the state before the call; without a state they
* only read it. WP_RCHECK checks for any number but 0 and reads no fourth.
m = WP_CREATE()
= WP_ADD(m, "Item")
= WP_ADD(m, "Other")
? WP_CHECK(m, -1)
? WP_CHECK(m, -1, .T.)
? WP_CHECK(m, -1, .T.)
? WP_CHECK(m, 1, .F.)
? WP_CHECK(m, -1)
? WP_RCHECK(m, 2, -7, 0)
? WP_CHECK(m, 2)
? WP_RCHECK(m, 2, 0, 1)
? WP_CHECK(m, 2)
? WP_ENABLE(m, -1, .F.)
? WP_ENABLE(m, -1)
? WP_ENABLE(m, -1, .T.)
? WP_ENABLE(m, -1)
? WP_CHECK(m, 0)
? WP_DESTROY(m)

* A new identifier keeps the item's text and state; 0 is refused.
m = WP_CREATE()
= WP_ADD(m, "*\Item")
? WP_ID(m, -1, 42)
? WP_ID(m, -1)
? WP_CHECK(m, -1)
? WP_ENABLE(m, -1)
? WP_TEXT(m, -1)
? WP_ID(m, -1, 0)
? WP_ID(m, -1)
* An item that opens a submenu is identified by the submenu's handle, which
* no new number replaces: 901, and the item keeps its submenu, whether the
* number is none of a menu or the handle of another one.
sub = WP_CREATE()
= WP_ADD(sub, "Inner")
other = WP_CREATE()
= WP_ADD(other, "Other")
= WP_ADD(m, "@Sub", sub)
? WP_ID(m, -2, 77)
? WP_ID(m, -2) == sub .AND. WP_ISPOP(sub) .AND. WP_TEXT(m, -2) == "Sub"
? WP_ID(m, -2, other)
? WP_ID(m, -2) == sub .AND. WP_ISPOP(sub) .AND. WP_TEXT(m, -2) == "Sub"
? WP_ID(m, sub, 77)
? WP_ID(m, -2) == sub .AND. WP_ISPOP(sub) .AND. WP_TEXT(m, -2) == "Sub"
? WP_ID(m, sub, other)
? WP_ID(m, -2) == sub .AND. WP_ISPOP(sub) .AND. WP_TEXT(m, -2) == "Sub"
? WP_COUNT(other)
? WP_DESTROY(other)
? WP_DESTROY(m)

* A menu from a two-column array of texts and identifiers, by reference or by
* name: a number is truncated, any other value gives the row number.
DIMENSION two(5, 2)
two(1, 1) = "Item 1"
two(2, 1) = "Item 2"
two(3, 1) = "Item 3"
two(4, 1) = "Item 4"
two(5, 1) = "Item 5"
two(1, 2) = 10
two(2, 2) = "x"
two(3, 2) = 30.7
two(4, 2) = .T.
two(5, 2) = -2.9
m = WP_CREATE(@two)
? WP_ID(m, -1)
? WP_ID(m, -2)
? WP_ID(m, -3)
? WP_ID(m, -4)
? WP_ID(m, -5)
? WP_TEXT(m, -5)
byName = WP_CREATE("two")
? WP_ID(byName, -1) == 10 .AND. WP_ID(byName, -2) == 2 .AND. WP_ID(byName, -3) == 30 .AND. WP_ID(byName, -4) == 4 .AND. WP_ID(byName, -5) == WP_ID(m, -5)
? WP_DESTROY(byName)
? WP_DESTROY(m)

* A new text: with a fourth argument its prefix sets the item's state anew
* (the grey goes), without one the text is taken whole; the identifier stays.
m = WP_CREATE()
= WP_ADD(m, "\Old")
? WP_TEXT(m, -1, "*New", .F.)
? WP_TEXT(m, -1)
? WP_CHECK(m, -1)
? WP_ENABLE(m, -1)
? WP_ID(m, -1)
= WP_ENABLE(m, -1, .F.)
? WP_TEXT(m, 1, "*Newer")
? WP_TEXT(m, -1)
? WP_CHECK(m, -1)
? WP_ENABLE(m, -1)
* A popup item keeps its submenu when its text changes, with the prefix too:
* whether an item opens a submenu goes with the item, not with "@" in the
* text (destroying the menu destroys the submenu it still holds).
sub = WP_CREATE()
= WP_ADD(sub, "x")
= WP_ADD(m, "@Sub", sub)
? WP_TEXT(m, -2, "Renamed")
? WP_ID(m, -2) == sub
? WP_TEXT(m, -2)
? WP_TEXT(m, -2, "*Plain", .T.)
? WP_ID(m, -2) == sub
? WP_ISPOP(sub)
? WP_TEXT(m, -2)
? WP_CHECK(m, -2)
? WP_DESTROY(m)
? WP_ISPOP(sub)
