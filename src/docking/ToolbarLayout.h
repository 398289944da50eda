#pragma once
// The arrangement of a form's tool windows, stored under a registry key (below HKEY_CURRENT_USER)
// with one subkey per tool window, named after it.

#include <QString>

#include <functional>

class QWidget;

namespace docking {

// Stores the place of every tool window of `form`. Throws std::runtime_error when a tool window or
// the dock it sits in has no name, since the stored layout refers to both by name.
void SaveToolbarLayout(QWidget* form, const QString& key);

// The same values handed to `write` (subkey, value name, text) instead, for a caller that stores
// them with others in one write of the store.
using LayoutWriter = std::function<void(const QString& key, const QString& name, const QString& text)>;
void SaveToolbarLayout(QWidget* form, const QString& key, const LayoutWriter& write);

// Applies a layout stored by SaveToolbarLayout; tool windows without a usable entry stay as they are.
void LoadToolbarLayout(QWidget* form, const QString& key);

}  // namespace docking
