// Isolation.cpp - filled in by the next commits.
