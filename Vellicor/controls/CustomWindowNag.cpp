#include "controls/CustomWindowNag.h"

CustomWindowNag::CustomWindowNag(QWidget* parent, Qt::WindowFlags)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}
