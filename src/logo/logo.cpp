// The logo's numbers and its drawing. Letters are outlines defined here in
// a 100 x 100 box (y up, from the baseline at 0 to the top at 100), scaled
// to their height, so the picture is the same in every viewer and a letter
// of h bits spans exactly h x pixels_per_bit.
#include "logo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bases.h"

namespace {

struct glyph {
    const char* colour;
    const char* paths[3];  // filled; "evenodd" holes where a path holds two outlines
};

// Colours of the classic logos: A green, C blue, G orange, T red.
const glyph glyphs[4] = {
    {"#00a000", {"M0 0L38 100L62 100L100 0L76 0L67 26L33 26L24 0ZM40 44L60 44L50 74Z"}},
    {"#0000c0", {"M88.3 82.1A50 50 0 1 1 88.3 17.9L73 29.4A30 32 0 1 0 73 70.6Z"}},
    {"#ffa500", {"M88.3 82.1A50 50 0 1 1 96 30.5L77.6 37.5A30 32 0 1 0 73 70.6Z", "M56 36L100 36L100 50L56 50Z",
                 "M82 12L100 12L100 50L82 50Z"}},
    {"#d00000", {"M0 100L100 100L100 82L61 82L61 0L39 0L39 82L0 82Z"}},
};

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

std::string xml_escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            // XML 1.0 allows no control characters but tab and line ends.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                out += '?';
            } else {
                out += c;
            }
        }
    }
    return out;
}

logo_stack stack_of(const std::array<double, 4>& scores) {
    // e^(score - best) keeps every term finite whatever the scores; the
    // common factor goes with the normalising.
    const double best = *std::max_element(scores.begin(), scores.end());
    logo_stack stack;
    double sum = 0;
    for (int b = 0; b < 4; ++b) sum += stack.probability[b] = std::exp(scores[b] - best);
    double entropy = 0;
    for (int b = 0; b < 4; ++b) {
        stack.probability[b] /= sum;
        if (stack.probability[b] > 0) entropy -= stack.probability[b] * std::log2(stack.probability[b]);
    }
    stack.information = std::max(0.0, 2 - entropy);
    for (int b = 0; b < 4; ++b) stack.height[b] = stack.probability[b] * stack.information;
    stack.bottom_up = {0, 1, 2, 3};
    std::stable_sort(stack.bottom_up.begin(), stack.bottom_up.end(),
                     [&](int a, int b) { return stack.height[a] < stack.height[b]; });
    return stack;
}

std::string consensus_of(const std::vector<std::array<double, 4>>& scores) {
    std::string consensus;
    for (const auto& column : scores) {
        const logo_stack stack = stack_of(column);
        const auto best = static_cast<int>(std::max_element(stack.probability.begin(), stack.probability.end()) -
                                           stack.probability.begin());
        consensus += stack.probability[best] >= 0.5 ? base_letters[best] : static_cast<char>(base_letters[best] + 32);
    }
    return consensus;
}

std::string logo_svg(const std::vector<std::array<double, 4>>& scores, const std::string& title, std::size_t before,
                     std::size_t after) {
    const double plot_height = 2 * pixels_per_bit;
    const double width = left_margin + stack_width * static_cast<double>(before + scores.size() + after) + right_margin;
    const double first = left_margin + stack_width * static_cast<double>(before);  // the first stack's left
    const double height = top_margin + plot_height + bottom_margin;
    const double baseline = top_margin + plot_height;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + number(width) +
                      "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(width) + " " + number(height) +
                      "\">\n<title>" + xml_escaped(title) + "</title>\n"
                      "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
                      "<g font-family=\"Helvetica, Arial, sans-serif\" fill=\"#000000\">\n"
                      "<text x=\"" + number(width / 2) + "\" y=\"30\" font-size=\"18\" text-anchor=\"middle\">" +
                      xml_escaped(title) + "</text>\n";

    // The y axis in bits, ticks every half bit.
    const double axis = left_margin - 8;
    svg += "<path d=\"M" + number(axis) + " " + number(top_margin) + "V" + number(baseline) +
           "\" stroke=\"#000000\" stroke-width=\"1\" fill=\"none\"/>\n";
    for (int half = 0; half <= 4; ++half) {
        const double y = baseline - half * pixels_per_bit / 2;
        svg += "<path d=\"M" + number(axis - 5) + " " + number(y) + "H" + number(axis) +
               "\" stroke=\"#000000\" stroke-width=\"1\"/>\n<text x=\"" + number(axis - 8) + "\" y=\"" +
               number(y + 4) + "\" font-size=\"12\" text-anchor=\"end\">" + number(half / 2.0) + "</text>\n";
    }
    svg += "<text transform=\"translate(16 " + number(baseline - pixels_per_bit) +
           ") rotate(-90)\" font-size=\"14\" text-anchor=\"middle\">bits</text>\n";

    // Positions numbered from 1 under the stacks (every tenth from 1,000 on).
    const std::size_t every = scores.size() >= 1000 ? 10 : 1;
    for (std::size_t p = 0; p < scores.size(); ++p) {
        if ((p + 1) % every != 0 && p != 0) continue;
        svg += "<text x=\"" + number(first + stack_width * (static_cast<double>(p) + 0.5)) + "\" y=\"" +
               number(baseline + 18) + "\" font-size=\"11\" text-anchor=\"middle\">" + std::to_string(p + 1) +
               "</text>\n";
    }
    svg += "</g>\n";

    // The stacks: each letter is its outline scaled to the stack's width
    // and to its height, flipped so that y runs up from its bottom.
    for (std::size_t p = 0; p < scores.size(); ++p) {
        const logo_stack stack = stack_of(scores[p]);
        double bottom = baseline;
        const double x = first + stack_width * static_cast<double>(p) + 1;
        for (const int b : stack.bottom_up) {
            const double h = stack.height[b] * pixels_per_bit;
            if (h <= 0) continue;
            svg += "<g fill=\"" + std::string(glyphs[b].colour) + "\" fill-rule=\"evenodd\" transform=\"translate(" +
                   number(x) + " " + number(bottom) + ") scale(" + number((stack_width - 2) / 100) + " " +
                   number(-h / 100) + ")\">";
            for (const char* path : glyphs[b].paths)
                if (path) svg += std::string("<path d=\"") + path + "\"/>";
            svg += "</g>\n";
            bottom -= h;
        }
    }
    svg += "</svg>\n";
    return svg;
}

std::pair<std::string, std::string> aligned_logos(const std::vector<std::array<double, 4>>& upper, const std::string& upper_title,
                                                  const std::vector<std::array<double, 4>>& lower, const std::string& lower_title,
                                                  std::int64_t offset) {
    // The upper motif starts `offset` columns into the canvas where that is
    // positive, the lower -offset columns where that is.
    const auto wu = static_cast<std::int64_t>(upper.size()), wl = static_cast<std::int64_t>(lower.size());
    const std::int64_t upper_from = std::max<std::int64_t>(0, offset), lower_from = std::max<std::int64_t>(0, -offset);
    const std::int64_t canvas = std::max(upper_from + wu, lower_from + wl);
    return {logo_svg(upper, upper_title, static_cast<std::size_t>(upper_from), static_cast<std::size_t>(canvas - upper_from - wu)),
            logo_svg(lower, lower_title, static_cast<std::size_t>(lower_from), static_cast<std::size_t>(canvas - lower_from - wl))};
}
