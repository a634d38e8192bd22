#pragma once

#include "app/core/MemoryTrim.h"

#include <QSet>
#include <QString>

namespace vesko {

// Returns freed heap to the system, and asks the kernel to reclaim the pages
// of every file mapped since the part was first loaded (its libraries: Qt
// Quick, Qml and what they brought), as a phone does for an app sent to the
// background. The pages are clean: the next show reads them back from the
// page cache. Only advice: contents never change, and a kernel without
// MADV_PAGEOUT simply keeps them.
class ProcessMemoryTrim : public MemoryTrim
{
public:
    void beforeFirstLoad() override;
    void afterRelease() override;

    // The files mapped into this process now.
    static QSet<QString> mappedFiles();
    // Bytes of the mappings of files outside `keep` the kernel was asked to reclaim.
    static qint64 pageOutFilesOutside(const QSet<QString> &keep);

private:
    QSet<QString> m_own;
    bool m_known = false;
};

} // namespace vesko
