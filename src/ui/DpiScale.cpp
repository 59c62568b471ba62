#include "ui/DpiScale.h"

int RescaleForDpi(int value, int fromDpi, int toDpi) {
    if (fromDpi <= 0 || toDpi <= 0 || fromDpi == toDpi) return value;
    const long long scaled = static_cast<long long>(value) * toDpi;
    const long long half = fromDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / fromDpi : -((-scaled + half) / fromDpi));
}

int ImageScaleForDpi(int dpi) {
    if (dpi >= kBaseDpi * 2) return 200;
    if (dpi >= kBaseDpi * 3 / 2) return 150;
    return 100;
}
