#pragma once

#include "gui/ui/named_controls.h"

// The viewer's controls take their captions from the language files'
// section of the viewer.
namespace lpviewer {

constexpr const char *kCaptionSection = "lpviewerini";

// A control named name, captioned english until a language file gives key.
template <class T = QLabel>
T *keyed(QWidget *parent, const char *name, const char *english, const char *key)
{
    T *control = ui::makeKeyed<T>(parent, english, kCaptionSection, key);
    control->setObjectName(QLatin1String(name));
    return control;
}

} // namespace lpviewer
