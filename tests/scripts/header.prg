* The limits and letters in kavro.h are the ones the library keeps.
#INCLUDE kavro.h
* The error numbers: the library's own, and the two the host raises for it.
? KV_ERR_ARGUMENT
? BM_(KV_BM_MAPS, 1)
? BM_(KV_BM_MAPS + 1, 1)
? BM_(1, KV_BM_MAXSIZE + 1)
? KV_ERR_HOSTARGS
? BM_LEN()
? KV_ERR_USER
? TRANS_TBL(KV_TRANS_TO + 1)
* The limits.
? MW_LEN(1) == KV_MW_MINLEN
? LEN(MW_DLM(REPLICATE("x", 300))) == KV_MW_MAXDELIMITERS
? LEN(U_HASH("a", KV_HASH_MAXLEN)) == KV_HASH_MAXLEN
* The days of the week, and the translation table's two sides.
? D_DOW({^2000-01-03}, KV_MONDAY) + D_DOW({^2000-01-02}, KV_SUNDAY) + D_DOW({^2000-01-08}, KV_SATURDAY)
? D_DOW({^2000-01-02}, KV_FDOW_HOST) == D_DOW({^2000-01-02}, SET("FDOW"))
= TRANS_SET("a", "b")
? TRANS_TBL(KV_TRANS_FROM) + TRANS_TBL(KV_TRANS_TO)
* The menu flag characters: checked and greyed, and a submenu's item.
nMenu = WP_CREATE()
nSub = WP_CREATE()
? WP_ADD(nMenu, KV_WP_CHECKED + KV_WP_GRAYED + "Save")
? WP_CHECK(nMenu, 1)
? WP_ENABLE(nMenu, 1)
? WP_TEXT(nMenu, 1)
? WP_ADD(nMenu, KV_WP_POPUP + "More", nSub)
? WP_ID(nMenu, -2) == nSub
? WP_TEXT(nMenu, -2)
? WP_DESTROY(nMenu)
? WP_ISPOP(nSub)
* A special folder.
? U_SHFOLDER(KV_CSIDL_SYSTEM) == U_WINSDIR()
