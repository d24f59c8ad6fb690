// The host's small expression language and command lines.
//
// Expressions: numbers, strings in '' "" [], .T. .F. .NULL., dates
// {^yyyy-mm-dd} and datetimes {^yyyy-mm-dd hh:mm[:ss]}, variables, array
// elements a(i[,j]) or a[i,j], properties obj.Prop, @name for passing by reference, calls of the
// library's functions, of script procedures and of built-ins, the operators
// ^ ** (first) * / % (next) + - = == <> != # < > <= >= .AND. .OR. .NOT. ! and
// parentheses, numbers with an exponent (1E300, 2.5e-3).
//
// Built-ins that reach outside: GETENV(name), FILETOSTR(file) and
// STRTOFILE(text, file) (the number of bytes written).
//
// Commands: ? expr[, expr], name = expr, name(i[,j]) = expr, obj.Prop = expr, STORE expr TO
// names, DIMENSION name(r[,c]), PUBLIC/PRIVATE/LOCAL names, RELEASE names,
// ERASE (file), DO name [WITH args], = expr, a bare expression, and commands a
// test defines.
#pragma once

#include <map>
#include <string>

#include "hostemu/host.h"

namespace hostemu {

class Evaluator {
public:
    explicit Evaluator(Host& host) : host_(host) {}
    Result evaluate(const std::string& expression);
    Result execute(const std::string& command, const std::map<std::string, Command>& commands);

private:
    Host& host_;
};

}  // namespace hostemu
