#pragma once

#include <QString>

namespace vesko {

// Where a loadable part of Vesko is: beside the running binary in the build
// tree, else where the install put it. Works before the application object
// exists.
QString partPath(const QString &fileName);

} // namespace vesko
