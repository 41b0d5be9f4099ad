// ServiceArea.cpp - filled in by the next commits.
