// Groups and the lost-messages file.
