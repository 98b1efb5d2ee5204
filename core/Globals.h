#pragma once

// Program-wide flags shared by the start-up sequence and the windows.
// ConfigLoaded: the configuration file existed at start. DialogAccepted: the
// last modal dialog (settings, login, file chooser) was confirmed; each sets
// it False when it loads. ConnectionChanged: the settings dialog changed the
// notification mode, the database type or a connection field.
extern bool ConfigLoaded;
extern bool DialogAccepted;
extern bool ConnectionChanged;
