#pragma once

namespace nirvex {

class TWizard;

// A load (or a prediction over a file) from start to end, however it ends: the navigation is
// disabled meanwhile and the progress shown; nested loads (a project naming its sample) count as one.
class TLoadScope {
public:
    explicit TLoadScope(TWizard& w);
    ~TLoadScope();
    TLoadScope(const TLoadScope&) = delete;
    TLoadScope& operator=(const TLoadScope&) = delete;

private:
    TWizard& w_;
};

} // namespace nirvex
