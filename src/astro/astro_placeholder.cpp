// Replaced as the astronomy sources arrive.
