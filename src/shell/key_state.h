#pragma once

// The lock keys as the keyboard shows them. Where the windowing system cannot tell, all
// three read as off.
struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

LockKeys ReadLockKeys();
