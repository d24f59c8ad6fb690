// The script call that the property enumerator evaluates for each property of
// a window, as a plain function: PROC(window,'name',data).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv::ui {

// A property held under an integer atom has no name string; it reads as the
// atom's own textual form, "#" and the atom's number, which names the same
// property again wherever a property name is taken.
inline std::string atomPropertyName(uint16_t atom) { return "#" + std::to_string(atom); }

// A string literal of the host's expression language that yields `text`
// exactly: in single quotes as a rule; a text holding a quote goes in the
// first delimiter pair it does not hold, and one holding all three is joined
// from pieces, so that no property name can end the literal early and run as
// script code.
inline std::string scriptLiteral(std::string_view text) {
    auto wrap = [&](char open, char close) { return open + std::string(text) + close; };
    if (text.find('\'') == std::string_view::npos) return wrap('\'', '\'');
    if (text.find('"') == std::string_view::npos) return wrap('"', '"');
    if (text.find(']') == std::string_view::npos) return wrap('[', ']');
    std::string out;
    size_t start = 0;
    for (;;) {
        const size_t quote = text.find('\'', start);
        const std::string_view run = text.substr(start, quote == std::string_view::npos ? quote : quote - start);
        if (!run.empty()) out += (out.empty() ? "'" : "+'") + std::string(run) + "'";
        if (quote == std::string_view::npos) break;
        out += out.empty() ? "\"'\"" : "+\"'\"";
        start = quote + 1;
    }
    return out;
}

// "%s(%u,'%s',%u)" with the procedure, the window, the property name and its data.
inline std::string propertyCall(std::string_view procedure, uint32_t window, std::string_view name, uint64_t data) {
    std::string call(procedure);
    call += '(';
    call += std::to_string(window);
    call += ',';
    call += scriptLiteral(name);
    call += ',';
    call += std::to_string(data);
    call += ')';
    return call;
}

}  // namespace kv::ui
