// D_ functions: calendar arithmetic on host dates.
#pragma once

#include "frame/records.h"

namespace kv::calendar {
// The first day of a week, as the D_ functions take it: a day, or 0 for the host's SET FDOW.
enum Weekday : int32_t { HostWeek = 0, Sunday, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };
}  // namespace kv::calendar

void D_SOW(ParamBlock*);
void D_SOM(ParamBlock*);
void D_SOY(ParamBlock*);
void D_SOQ(ParamBlock*);
void D_EOW(ParamBlock*);
void D_EOM(ParamBlock*);
void D_EOY(ParamBlock*);
void D_EOQ(ParamBlock*);
void D_QUART(ParamBlock*);
void D_ISLEAP(ParamBlock*);
void D_DOY(ParamBlock*);
void D_SETSDATE(ParamBlock*);
void D_SETSTIME(ParamBlock*);
void D_YBD(ParamBlock*);
void D_QBD(ParamBlock*);
void D_MBD(ParamBlock*);
void D_WBD(ParamBlock*);
void D_N2D(ParamBlock*);
void D_DNAME(ParamBlock*);
void D_MNAME(ParamBlock*);
void D_SETDFDOW(ParamBlock*);
void D_DOW(ParamBlock*);
void D_DATE2NUM(ParamBlock*);
void D_TIME2NUM(ParamBlock*);
void D_NUM2DATE(ParamBlock*);
void D_NUM2TIME(ParamBlock*);

// Takes the host's first day of the week as the library default; called at load.
void LoadDefaultFirstDayOfWeek();

namespace kv::calendar {
inline constexpr FoxEntry kCalendarRows[] = {
    {"D_SOW", D_SOW, 2, ".?,.I"},
    {"D_SOM", D_SOM, 1, ".?"},
    {"D_SOY", D_SOY, 1, ".?"},
    {"D_SOQ", D_SOQ, 1, ".?"},
    {"D_EOW", D_EOW, 2, ".?,.I"},
    {"D_EOM", D_EOM, 1, ".?"},
    {"D_EOY", D_EOY, 1, ".?"},
    {"D_EOQ", D_EOQ, 1, ".?"},
    {"D_QUART", D_QUART, 1, ".?"},
    {"D_ISLEAP", D_ISLEAP, 1, ".?"},
    {"D_DOY", D_DOY, 1, ".?"},
    {"D_SETSDATE", D_SETSDATE, 3, ".?,.I,.I"},
    {"D_SETSTIME", D_SETSTIME, 3, "I,I,.I"},
    {"D_YBD", D_YBD, 2, "?,.?"},
    {"D_QBD", D_QBD, 2, "?,.?"},
    {"D_MBD", D_MBD, 2, "?,.?"},
    {"D_WBD", D_WBD, 2, "?,.?"},
    {"D_N2D", D_N2D, 3, "I,I,I"},
    {"D_DNAME", D_DNAME, 2, ".?,.I"},
    {"D_MNAME", D_MNAME, 1, ".?"},
    {"D_SETDFDOW", D_SETDFDOW, 1, ".I"},
    {"D_DOW", D_DOW, 2, ".?,.I"},
    {"D_DATE2NUM", D_DATE2NUM, 1, "D"},
    {"D_TIME2NUM", D_TIME2NUM, 1, "T"},
    {"D_NUM2DATE", D_NUM2DATE, 1, "N"},
    {"D_NUM2TIME", D_NUM2TIME, 1, "N"},
};
}  // namespace kv::calendar
