* Outside any message the hook accessors answer from an empty context
* (default processing on, no after call, result, message 0) and a value
* given to them changes nothing.
? H_DEF(.F.)
? H_DEF()
? H_AFTER(.T.)
? H_AFTER()
? H_RET(9)
? H_RET()
? H_MSG(4)
? H_MSG()
? H_WP()
? H_LP()
? H_HWND()
