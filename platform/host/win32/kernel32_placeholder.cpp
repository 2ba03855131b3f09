// Replaced by the files of the kernel32 and advapi32 subset.
