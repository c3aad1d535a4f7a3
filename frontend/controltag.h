#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// The run state kept in the controls themselves ("tag" of a control).
inline QString tagOf(const QObject* control) { return control->property("tag").toString(); }
inline void setTag(QObject* control, const QString& value) { control->setProperty("tag", value); }
