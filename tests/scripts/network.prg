* This machine's own answers: the adapters' addresses, six bytes each, and
* the shares of the local server, however many (the fixed answers of other
* platforms are checked from C++). PA_SHARES is made either way.
? MOD(LEN(NET_MAC()), 6)
? NET_SHARES("") >= 0
? TYPE("PA_SHARES") <> "U"
