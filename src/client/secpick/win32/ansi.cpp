// Placeholder for the Win32 side of secpick.
