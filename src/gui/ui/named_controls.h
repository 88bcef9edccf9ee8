#pragma once

// Building blocks of the window's pages. Every control carries the object name
// the window's code and the language captions find it by; control arrays are
// written name(index).

#include "gui/ui/caption.h"
#include "gui/ui/control_map.h"
#include "gui/ui/value_display_style.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <QWidget>

namespace ui {

template <class T>
T *makeNamed(QWidget *parent, const QString &name)
{
    auto *control = new T(parent);
    control->setObjectName(name);
    return control;
}

template <class T>
T *makeNamed(QWidget *parent, const char *name)
{
    return makeNamed<T>(parent, QLatin1String(name));
}

inline QLabel *makeNamedLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = makeNamed<QLabel>(parent, name);
    label->setText(text);
    return label;
}

// A caption of our own: its English text now, the text of section/key of
// the language file once one is applied (see setCaptionKey).
template <class T = QLabel>
T *makeKeyed(QWidget *parent, const char *english, const char *section, const char *key,
             int number = -1)
{
    auto *control = new T(parent);
    setCaption(control, captionText(QString::fromUtf8(english), number));
    setCaptionKey(control, section, key, number);
    return control;
}

// A list wide enough for minimumChars characters. Typed text is read as it
// stands; it never becomes a new entry.
template <class List = QComboBox>
List *makeNamedList(QWidget *parent, const QString &name, int minimumChars, bool editable = false)
{
    auto *list = makeNamed<List>(parent, name);
    list->setEditable(editable);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMinimumContentsLength(minimumChars);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return list;
}

// A command button of the setting pages.
inline QPushButton *makeCommandButton(QWidget *parent, const char *name, const char *caption)
{
    auto *button = makeNamed<QPushButton>(parent, name);
    button->setText(QLatin1String(caption));
    button->setMinimumWidth(150);
    return button;
}

// Appends a page to a tab control and returns it.
inline QWidget *addTabPage(QTabWidget *tabs, const QString &caption)
{
    auto *page = new QWidget(tabs);
    tabs->addTab(page, caption);
    return page;
}

// A read-only display of one value, right-aligned like a meter's readout.
inline QLineEdit *makeValueDisplay(QWidget *parent, const QString &name, int minimumChars = 11)
{
    auto *edit = makeNamed<QLineEdit>(parent, name);
    edit->setStyle(valueDisplayStyle());
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setFocusPolicy(Qt::ClickFocus);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * minimumChars);
    return edit;
}

// The numbers first to last as texts.
inline QStringList numberTexts(int first, int last)
{
    QStringList items;
    for (int n = first; n <= last; ++n)
        items << QString::number(n);
    return items;
}

// Replaces a list's entries and selects one so that its selection handler
// runs once, as a user's choice would.
inline void fillList(QComboBox *list, const QStringList &items, int selected)
{
    {
        const QSignalBlocker quiet(list);
        list->clear();
        list->addItems(items);
        list->setCurrentIndex(-1);
    }
    list->setCurrentIndex(selected);
}

} // namespace ui
