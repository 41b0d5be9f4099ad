// Components.cpp - filled in by the next commits.
