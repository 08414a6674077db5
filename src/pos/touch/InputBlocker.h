#pragma once

#include <hul00002/hul00002_export.h>

namespace Hul00002::detail {

// While one lives, mouse, keyboard and touch input reach no window of the application: what
// arrives meanwhile is dropped, not delivered afterwards. For long work on the user-interface
// thread that still lets the application paint.
class HUL00002_EXPORT InputBlocker {
public:
    InputBlocker();
    ~InputBlocker();
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;
    static bool active();
};

}  // namespace Hul00002::detail
