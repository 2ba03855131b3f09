// Replaced by the files of the user32 and shell32 subset.
