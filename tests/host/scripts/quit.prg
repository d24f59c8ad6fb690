* QUIT ends the script: the line after it never runs.
? 1
QUIT
? 2
