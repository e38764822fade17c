// Keeps the support library non-empty before shared test helpers exist.
