#pragma once
// Shows the wait cursor for as long as the owner lives; the cursor shown before comes back on
// every way out.

namespace mv {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool shown_ = false; // false without a GUI application (tools, some tests)
};

} // namespace mv
