* FF_QUIT's texts: a path of 262 characters or more starts no watcher (0), a
* title of 128 characters or more or a text of 300 or more is refused (901),
* and the longest that fit start one. An empty path stops the watcher.
? FF_QUIT(REPLICATE('p', 262), 't', 'x')
? FF_QUIT('quit.sig', REPLICATE('t', 128), 'x')
? FF_QUIT('quit.sig', 't', REPLICATE('x', 300))
? FF_QUIT('quit.sig', REPLICATE('t', 127), REPLICATE('x', 299)) <> 0
? FF_QUIT(REPLICATE('p', 261), '', '') <> 0
? FF_QUIT('', '', '')
