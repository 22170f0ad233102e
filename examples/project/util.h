int twice(int n);
