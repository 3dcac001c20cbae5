#include "html.h"

#include <cstdint>

#include "logo.h"

std::string page_start(const std::string& title, const std::string& style) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + xml_escaped(title) +
           "</title>\n<style>\n"
           "body { font-family: Helvetica, Arial, sans-serif; margin: 2em; color: #222; }\n"
           "table { border-collapse: collapse; }\n"
           "th, td { padding: 0.2em 0.5em; border-bottom: 1px solid #ddd; text-align: right; vertical-align: middle; }\n"
           "td { white-space: nowrap; }\n"
           "th { background: #f0f0f0; }\n"
           "table.run th, table.run td, td.name, th.name { text-align: left; }\n"
           "td.consensus { text-align: left; font-family: monospace; font-size: 1.1em; }\n" +
           style + "</style>\n</head>\n<body>\n";
}

std::string page_end() { return "</body>\n</html>\n"; }

std::string settings_table(const std::vector<std::pair<std::string, std::string>>& settings) {
    std::string table = "<table class=\"run\">\n";
    for (const auto& [name, value] : settings)
        table += "<tr><th>" + xml_escaped(name) + "</th><td>" + xml_escaped(value) + "</td></tr>\n";
    return table + "</table>\n";
}

std::string svg_image(const std::string& svg, const std::string& alt, const std::string& css_class) {
    return "<img class=\"" + css_class + "\" alt=\"" + xml_escaped(alt) + "\" src=\"data:image/svg+xml;base64," +
           base64(svg) + "\">";
}

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        out += digits[group >> 18 & 63];
        out += digits[group >> 12 & 63];
        out += i + 1 < bytes.size() ? digits[group >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? digits[group & 63] : '=';
    }
    return out;
}
