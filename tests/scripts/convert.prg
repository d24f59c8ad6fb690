* Binary strings: integers, doubles and dates packed big-endian into
* fixed-length strings, and read back.

* Integers pack big-endian and wrap to their width.
? AC_CHR2(258)
? AC_CHR2(-1)
? AC_CHR2(65536)
? AC_CHR3(65536)
? AC_CHR3(-2)
? AC_CHR4(16909060)
? AC_CHR4(-2147483648)

* Unpacking reads unsigned, or signed at four bytes, each with its width;
* AC_ASC4F reads the four bytes unsigned as a number.
? AC_ASC2(CHR(255) + CHR(255))
? AC_ASC3(CHR(255) + CHR(255) + CHR(255))
? AC_ASC4(CHR(255) + CHR(255) + CHR(255) + CHR(255))
? AC_ASC4F(CHR(255) + CHR(255) + CHR(255) + CHR(255))

* AC_CHR4F truncates toward zero and keeps the low 32 bits; a number with no
* 64-bit form packs the processor's integer indefinite, whose low bits are 0.
? AC_CHR4F(4294967295)
? AC_CHR4F(-1)
? AC_CHR4F(1.9)
? AC_CHR4F(-1.9)
? AC_CHR4F(4294967301)
? AC_CHR4F(1e300)
? AC_CHR4F(7)

* Doubles pack in big-endian order and come back whole.
? AC_CHR8(1)
? AC_CHR8(-2)
? AC_ASC8(CHR(63) + CHR(240) + REPLICATE(CHR(0), 6))
? AC_ASC8(AC_CHR8(0.1)) == 0.1
? AC_ASC8(AC_CHR8(-123456.789)) == -123456.789
? AC_ASC8(AC_CHR8(1e-300)) == 1e-300
? AC_ASC8(AC_CHR8(6.02214076e23)) == 6.02214076e23

* Dates pack as 16-bit day counts from the base, 1 January 1980 at first;
* 65536 days later wraps to the base again.
? AC_D2C({^1980-01-02})
? AC_D2C({^1979-12-31})
? AC_C2D(CHR(0) + CHR(1))
? AC_C2D(AC_D2C({^2024-02-29}))
? AC_D2C({^2159-06-07})

* The base moves only when given a date (and lives as long as the library
* stays mapped: the script puts it back).
? AC_SETD0()
? AC_SETD0({^2000-01-01})
? AC_SETD0()
? AC_C2D(CHR(0) + CHR(0))
? AC_D2C({^2000-01-03})
? AC_SETD0({^1980-01-01})

* Only the leading bytes count, and missing ones read as zero.
? AC_ASC2(CHR(1) + CHR(2) + CHR(3) + CHR(4))
? AC_C2D(CHR(0) + CHR(1) + CHR(255) + CHR(255))
? AC_ASC2(CHR(1))
? AC_ASC4("")
? AC_ASC8(CHR(63) + CHR(240))
? AC_ASC4F(CHR(128) + CHR(0) + CHR(0))

* The host checks the arguments' number and types before the library runs.
? AC_CHR2("x")
? AC_ASC2(1)
? AC_ASC2()
? AC_SETD0({^2000-01-01}, {^2000-01-01})
? AC_D2C(1)
