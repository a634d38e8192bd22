#pragma once

namespace vesko {

// What the sign-in block tells the user about the last attempt, besides the
// usual invitation: a browser sign-in ends quietly on expiry otherwise, and an
// approval given after that would go unanswered.
enum class SignInNotice {
    none,
    expired,      // nobody came back from the browser in time
    lateApproval, // the browser came back, but after the expiry
};

} // namespace vesko
