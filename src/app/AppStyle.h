#pragma once

class QApplication;

// Fusion with a dark palette: the one look of every window.
void applyDarkStyle(QApplication& app);
