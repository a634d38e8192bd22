#pragma once

namespace vesko {

// Starting Vesko when the user logs in. Holds no state: the system is the
// only source of truth, so every read asks it afresh.
class LoginItem
{
public:
    virtual ~LoginItem() = default;
    virtual bool isEnabled() const = 0;
    // Failures are swallowed; the next isEnabled() tells what the system did.
    virtual void setEnabled(bool enabled) = 0;
};

} // namespace vesko
