#pragma once

namespace vesko {

// Gives memory back to the system once a part of the application that is
// loaded on demand has been let go again.
class MemoryTrim
{
public:
    virtual ~MemoryTrim() = default;
    // Called before the part is loaded for the first time: what is in memory
    // now is the application's own and stays.
    virtual void beforeFirstLoad() = 0;
    // Called after the part's objects were deleted.
    virtual void afterRelease() = 0;
};

} // namespace vesko
