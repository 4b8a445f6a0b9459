# Packaging: filled in below.
