#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// What a screen reader is given for a PlainTextBox: the accessibility factory the box installs.
QAccessibleInterface* plainTextBoxAccessible(const QString& className, QObject* object);
