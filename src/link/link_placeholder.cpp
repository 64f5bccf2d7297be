// Replaced as the link sources arrive.
