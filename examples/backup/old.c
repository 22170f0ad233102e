int thrice(int n) { return 3 * n; }
