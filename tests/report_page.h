// Checks of the report pages: their embedded images, HTML that parses, and
// a page that renders in a real browser with the logos' colours and dark
// text.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "helpers.h"
#include "png.h"
#include "run_command.h"

// The bytes of an image embedded in a page as base64.
inline std::string from_base64(const std::string& text) {
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t group = 0;
    int bits = 0;
    for (const char c : text) {
        if (c == '=') break;
        group = group << 6 | static_cast<std::uint32_t>(digits.find(c));
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>(group >> bits & 0xff);
        }
    }
    return out;
}

// xmllint's HTML parser knows HTML 4, not the <details> and <summary> of
// HTML 5: its complaints about those are passed over.
inline void expect_valid_html(const std::string& path) {
    if (std::system("command -v xmllint >/dev/null") != 0) return;
    const command_result parsed = run_command(
        {"/bin/sh", "-c", "/usr/bin/xmllint --html --noout '" + path + "' 2>&1 | grep -v '^ *^$' | "
                          "grep -v 'Tag details invalid\\|Tag summary invalid' | grep -v '<details><summary>' || true"});
    EXPECT_EQ(parsed.out, "") << path;
}

// Renders `dir`/report.html in headless Chromium at the window size given
// and expects each base's colour and dark text on many pixels. Skips the
// test where Chromium is missing.
inline void expect_rendered_logos(const scratch_dir& dir, const std::string& window_size) {
    if (std::system("command -v chromium >/dev/null") != 0)
        GTEST_SKIP() << "needs chromium (Debian chromium; .ci/run installs it) to render the page";
    const command_result shot = run_command(
        {"/bin/sh", "-c",
         "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking "
         "--disable-component-update --disable-sync --user-data-dir=" + dir / "profile" + " --window-size=" + window_size +
             " --screenshot=" + dir / "report.png" + " file://" + dir / "report.html"});
    rgba_image image;
    ASSERT_TRUE(read_png(read_file(dir / "report.png"), image)) << shot.err;
    std::map<std::string, std::size_t> colours;
    for (std::size_t y = 0; y < image.height; ++y)
        for (std::size_t x = 0; x < image.width; ++x) {
            const std::uint8_t* px = image.at(x, y);
            const int red = px[0], green = px[1], blue = px[2];
            if (green > 120 && red < 60 && blue < 60) ++colours["green A"];
            if (blue > 140 && red < 60 && green < 60) ++colours["blue C"];
            if (red > 200 && green > 120 && green < 200 && blue < 60) ++colours["orange G"];
            if (red > 160 && green < 60 && blue < 60) ++colours["red T"];
            if (red < 80 && green < 80 && blue < 80) ++colours["text"];
        }
    for (const char* colour : {"green A", "blue C", "orange G", "red T", "text"})
        EXPECT_GT(colours[colour], 200u) << colour << " not in the rendered page";
}
