// The demonstration's background picture, drawn in code: a sky, a sun, hills
// and a lake. The data tool stores it as bkgrnd.jpg; tests compare what the
// demonstration shows with it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace demo_data {

inline double Mix(double a, double b, double t) { return a + (b - a) * t; }

inline uint8_t Clamp(double v) { return v < 0 ? 0 : v > 255 ? 255 : static_cast<uint8_t>(v + 0.5); }

// w * h pixels, three bytes each (red, green, blue), row by row.
inline std::vector<uint8_t> DrawBackground(int w, int h) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    const int horizon = h * 55 / 100;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double r, g, b;
            double hill = horizon - 60 - 45 * std::sin(x * 0.011) - 25 * std::sin(x * 0.027 + 1.3);
            if (y < horizon) {
                double t = double(y) / horizon;
                r = Mix(70, 250, t);
                g = Mix(120, 200, t);
                b = Mix(200, 170, t);
                double dx = x - w * 0.7, dy = y - horizon * 0.45;
                double d = std::sqrt(dx * dx + dy * dy);
                if (d < 48) {
                    r = 255, g = 236, b = 150;
                } else if (d < 120) {
                    double glow = (120 - d) / 72.0 * 0.5;
                    r = Mix(r, 255, glow), g = Mix(g, 230, glow), b = Mix(b, 160, glow);
                }
                if (y > hill) {
                    double s = (y - hill) / (horizon - hill + 1.0);
                    r = Mix(60, 30, s), g = Mix(110, 70, s), b = Mix(60, 40, s);
                }
            } else {
                double t = double(y - horizon) / (h - horizon);
                double ripple = 10 * std::sin(y * 0.35 + std::sin(x * 0.02) * 3);
                r = Mix(40, 10, t) + ripple * 0.5;
                g = Mix(110, 50, t) + ripple;
                b = Mix(160, 90, t) + ripple;
            }
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = Clamp(r), p[1] = Clamp(g), p[2] = Clamp(b);
        }
    }
    return rgb;
}

}  // namespace demo_data
