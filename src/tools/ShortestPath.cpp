// ShortestPath.cpp - filled in by the next commits.
