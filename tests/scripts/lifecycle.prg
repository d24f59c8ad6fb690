* The library loaded under its plain name runs on its own, not as the
* companion, and this process is its only user.
? KAVRO_MODE()
? KAVRO_COUNT()
* The case tables the load took from the host capitalise each word.
? U_INIT("hello wORLD")
