#pragma once

#include <QByteArray>
#include <QString>

namespace vesko {

// `svg` on a square canvas: the root's viewBox grows on its shorter side with
// the drawing centred, and width and height both become the longer side (in
// viewBox units). Launchers and icon themes lay application icons out in square
// slots. Everything but the root start tag is kept byte for byte. Empty, with
// `error` set, when the document is not well-formed, its root is not an SVG
// element or has no viewBox of four numbers with a positive width and height.
QByteArray squaredSvg(const QByteArray &svg, QString *error = nullptr);

} // namespace vesko
