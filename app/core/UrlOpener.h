#pragma once

#include <QUrl>

namespace vesko {

// Opens a web page in the user's default browser. Fire and forget.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    virtual void open(const QUrl &url) = 0;
};

} // namespace vesko
