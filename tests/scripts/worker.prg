* With no worker started there is no object to hand out, and a stop has
* nothing to stop (the host's default result).
? MT_OBJECT()
? MT_DESTROY()
* The debug switch: each call answers what it was, and sets it when given.
? MT_DEBUG()
? MT_DEBUG(.T.)
? MT_DEBUG()
? MT_DEBUG(.F.)
? MT_DEBUG()
