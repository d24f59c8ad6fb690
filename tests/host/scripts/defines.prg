* The shell's own lines: a constant stands for itself only outside strings and
* as a whole word, a comment ends a line at "&&" outside strings, and what the
* shell prints is marked apart from the script.
#DEFINE LIMIT 7
#DEFINE TWICE LIMIT * 2
? TWICE + 1  && fifteen
? "LIMIT && more"
? LIMITS
#UNDEFINED
= M_API(1)
