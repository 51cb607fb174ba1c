// The POSIX stand-ins grow with the platform interface.
