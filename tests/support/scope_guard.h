#pragma once

#include <utility>

// Runs a function when the scope ends, however it ends (an ASSERT returning early too): for
// tests that change a process-wide value and must put it back.
template <class F>
class CScopeGuard {
public:
    explicit CScopeGuard(F undo) : m_undo(std::move(undo)) {}
    ~CScopeGuard() { m_undo(); }
    CScopeGuard(const CScopeGuard&) = delete;
    CScopeGuard& operator=(const CScopeGuard&) = delete;

private:
    F m_undo;
};
