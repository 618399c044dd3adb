#pragma once

// The Help menu: About, and the release notes, opened by the desktop or in a window of their own.

class QWidget;

namespace sigrune {

class Dialogs;
class Launcher;

void ShowAbout(Dialogs& dialogs, QWidget* parent);
void ShowReleaseNotes(Dialogs& dialogs, Launcher& launcher, QWidget* parent);

}  // namespace sigrune
