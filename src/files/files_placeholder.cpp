// Replaced as the settings-file sources arrive.
