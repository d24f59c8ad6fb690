#include "hostemu/value.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace hostemu {

bool Value::operator==(const Value& o) const {
    if (type != o.type) return false;
    switch (type) {
        case 'C':
        case 'R': return str == o.str;
        case 'N': return num == o.num && decimals == o.decimals;
        case 'D':
        case 'T': return num == o.num;
        case 'I': return i == o.i;
        case 'L': return b == o.b;
        case 'O': return object == o.object;
        case '0': return nullOf == o.nullOf;
        default: return true;
    }
}

Value Int(int32_t v, int16_t width) {
    Value r;
    r.type = 'I';
    r.i = v;
    r.width = width;
    return r;
}

Value Num(double v, int32_t decimals, int16_t width) {
    Value r;
    r.type = 'N';
    r.num = v;
    r.decimals = decimals;
    r.width = width;
    return r;
}

Value Str(std::string bytes) {
    Value r;
    r.type = 'C';
    r.str = std::move(bytes);
    return r;
}

Value Bool(bool b) {
    Value r;
    r.type = 'L';
    r.b = b;
    return r;
}

Value Date(double jd) {
    Value r;
    r.type = 'D';
    r.num = jd;
    return r;
}

Value Date(int y, int m, int d) { return Date(static_cast<double>(julianDay(y, m, d))); }

Value DateTime(double jd) {
    Value r;
    r.type = 'T';
    r.num = jd;
    return r;
}

Value Null(char type) {
    Value r;
    r.type = '0';
    r.nullOf = type;
    return r;
}

Value Ref(std::string variable) {
    Value r;
    r.type = 'R';
    r.str = std::move(variable);
    return r;
}

Value HandleArg(uint32_t handle, uint32_t length) {
    Value r;
    r.type = 'C';
    r.handle = handle;
    r.i = static_cast<int32_t>(length);
    return r;
}

// Days from civil (Howard Hinnant's algorithm), shifted to Julian day numbers.
int64_t julianDay(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 2440588;
}

void civilDate(int64_t jd, int& year, int& month, int& day) {
    const int64_t z = jd - 2440588 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

namespace {

std::string dateText(double jd, bool withTime) {
    if (jd == 0) return withTime ? "/  /   :  :  " : "/  /";
    const double whole = std::floor(jd);
    int y, m, d;
    civilDate(static_cast<int64_t>(whole), y, m, d);
    char buf[64];
    if (!withTime) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    } else {
        long secs = std::lround((jd - whole) * 86400.0);
        if (secs >= 86400) secs = 86399;
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02ld:%02ld:%02ld", y, m, d, secs / 3600, secs / 60 % 60,
                      secs % 60);
    }
    return buf;
}

std::string numberText(double v, int decimals) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", decimals < 0 ? 0 : decimals, v);
    return buf;
}

}  // namespace

std::string display(const Value& v) {
    switch (v.type) {
        case 'C': return v.str;
        case 'N': return numberText(v.num, v.decimals);
        case 'I': return std::to_string(v.i);
        case 'L': return v.b ? ".T." : ".F.";
        case 'D': return dateText(v.num, false);
        case 'T': return dateText(v.num, true);
        case 'O': return "(Object #" + std::to_string(v.object) + ")";
        case '0': return ".NULL.";
        case 'R': return "@" + v.str;
        default: return "";
    }
}

std::string describe(const Value& v, bool hex) {
    std::string out(1, v.type == '0' ? 'X' : v.type);
    switch (v.type) {
        case 'C': {
            out += "(" + std::to_string(v.str.size()) + ") ";
            if (hex) {
                char b[4];
                for (size_t k = 0; k < v.str.size(); ++k) {
                    std::snprintf(b, sizeof b, k ? " %02X" : "%02X", static_cast<unsigned char>(v.str[k]));
                    out += b;
                }
                return out;
            }
            // Text (printable ASCII, tabs and line breaks) shows in quotes with
            // \\ \" \t \r \n escaped; any other byte makes the whole value
            // bytes, shown in FoxPro's hexadecimal notation 0h0102FF.
            const bool text = std::all_of(v.str.begin(), v.str.end(), [](char ch) {
                const auto c = static_cast<unsigned char>(ch);
                return (c >= 32 && c < 127) || c == '\t' || c == '\r' || c == '\n';
            });
            if (!text) {
                out += "0h";
                char b[4];
                for (unsigned char c : v.str) {
                    std::snprintf(b, sizeof b, "%02X", c);
                    out += b;
                }
                return out;
            }
            out += '"';
            for (char c : v.str) {
                switch (c) {
                    case '"': out += "\\\""; break;
                    case '\\': out += "\\\\"; break;
                    case '\t': out += "\\t"; break;
                    case '\r': out += "\\r"; break;
                    case '\n': out += "\\n"; break;
                    default: out += c;
                }
            }
            out += '"';
            return out;
        }
        case 'N': return out + " " + display(v) + " (width " + std::to_string(v.width) + ")";
        case 'I': return out + " " + display(v) + " (width " + std::to_string(v.width) + ")";
        case '0': return "X .NULL. of type " + std::string(1, v.nullOf);
        case 'U': return "U (no value)";
        default: return out + " " + display(v);
    }
}

}  // namespace hostemu
