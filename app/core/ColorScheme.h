#pragma once

#include <QObject>

namespace vesko {

// Whether the desktop prefers a dark appearance, followed as that changes.
// Known from the start: the first frame must have the right colours.
class ColorScheme : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    virtual bool prefersDark() const = 0;

signals:
    // Only when the preference changed.
    void prefersDarkChanged(bool dark);
};

} // namespace vesko
