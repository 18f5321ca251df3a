#pragma once
// Help ▸ "User Guide" and Help ▸ "About".
#include <QString>
#include <QStringList>

class QWidget;

namespace tq::ui {

// Where the user guide may be, in the order they are tried: installed
// beside the program (share/doc/tq580), then the source tree it was built
// from.
QStringList userGuideCandidates();
// The first candidate that exists; empty when none does.
QString findUserGuide();
// Opens the guide in a viewer window of the tool's own (`UserGuideViewer`),
// with its pictures; false when there is no guide to open.
bool showUserGuide(QWidget* parent);

// Version, build date, toolkit version and licence.
QString aboutText();

}  // namespace tq::ui
