namespace tx::rastio {}
